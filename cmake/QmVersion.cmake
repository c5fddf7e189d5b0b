# Every program and plug-in carries the project version in an ELF section (".qm_version") so that
# GetFileVersionText can read it back from the file. The support library is static, so an
# unreferenced object in it would never reach a binary: each deliverable compiles the generated
# stamp itself through qm_stamp_version(target).

# Always four numbers (major.minor.release.build), 0 for parts the project version leaves out.
set(_qm_numbers "")
foreach(_qm_part MAJOR MINOR PATCH TWEAK)
    set(_qm_value "${PROJECT_VERSION_${_qm_part}}")
    if(_qm_value STREQUAL "")
        set(_qm_value 0)
    endif()
    list(APPEND _qm_numbers ${_qm_value})
endforeach()
list(JOIN _qm_numbers "." QM_VERSION_TEXT)

set(QM_VERSION_STAMP_SOURCE "${PROJECT_BINARY_DIR}/generated/QmVersionStamp.cpp")
configure_file("${CMAKE_CURRENT_LIST_DIR}/QmVersionStamp.cpp.in" "${QM_VERSION_STAMP_SOURCE}" @ONLY)

function(qm_stamp_version target)
    target_sources(${target} PRIVATE "${QM_VERSION_STAMP_SOURCE}")
endfunction()
