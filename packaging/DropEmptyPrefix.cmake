# Run by CPack once every package's files are staged: the installation prefix /opt/quillmere is
# made in each package's tree, and a package with nothing there (the reference server's) must not
# carry the empty folder.
file(GLOB staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/opt")
foreach(opt IN LISTS staged)
    file(GLOB_RECURSE inside "${opt}/*")
    if(inside STREQUAL "")
        file(REMOVE_RECURSE "${opt}")
    endif()
endforeach()
