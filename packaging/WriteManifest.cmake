# Writes ROOT/.package-files: a first line "#version VERSION" (the package's version), then every
# file of the installation below ROOT with its SHA-256, in the "HASH  PATH" lines of sha256sum,
# sorted by path. The launcher compares a user's installation with it to tell the files the package
# brings from those the user's own updates changed, and the version to tell which of them wins.
file(GLOB_RECURSE files RELATIVE "${ROOT}" LIST_DIRECTORIES false "${ROOT}/*")
list(REMOVE_ITEM files ".package-files")
list(SORT files)
set(lines "#version ${VERSION}\n")
foreach(file IN LISTS files)
    file(SHA256 "${ROOT}/${file}" hash)
    string(APPEND lines "${hash}  ${file}\n")
endforeach()
file(WRITE "${ROOT}/.package-files" "${lines}")
