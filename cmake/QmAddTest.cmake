# qm_add_test(NAME name SOURCES source...
#             [LIBS library...] [LABELS label...] [DEFINITIONS definition...] [INCLUDES folder...]
#             [DEPENDS target...] [OUTPUT_DIR folder] [QT_MAIN | OWN_MAIN] [STAMP_VERSION]
#             [OFFSCREEN] [ENVIRONMENT var=value...] [TIMEOUT seconds] [RESOURCE_LOCK name]
#             [ONE_TEST] [RUNNER program] [BOTH_DATABASES])
# Builds one GoogleTest program and registers it with CTest.
# - The main function: GoogleTest's by default; QT_MAIN links qm_qt_test_main (tests/support/QtTestMain.cpp,
#   a Qt application around the run, compiled once for all); OWN_MAIN means SOURCES bring their own.
# - It links with QM_FAST_LINK_OPTIONS (mold or lld when there).
# - OUTPUT_DIR puts the program in a folder of its own, its installation folder while it runs;
#   STAMP_VERSION stamps it with the project version.
# - Every case becomes a CTest test of its own, unless ONE_TEST: then the program is one test, run
#   through RUNNER when one is given (a wrapper that gets the program's path as its argument).
# - OFFSCREEN runs it on Qt's offscreen platform; ENVIRONMENT, LABELS, TIMEOUT and RESOURCE_LOCK go
#   to every test it registers.
# - BOTH_DATABASES registers every test a second time, with ".postgresql" after its name, run with
#   QM_TEST_DATABASE=postgresql: the reference servers it starts with a data folder then keep their
#   state in a PostgreSQL cluster the test process starts (tests/support/PostgresCluster.h).
function(qm_add_test)
    cmake_parse_arguments(PARSE_ARGV 0 arg "QT_MAIN;OWN_MAIN;STAMP_VERSION;OFFSCREEN;ONE_TEST;BOTH_DATABASES"
                          "NAME;OUTPUT_DIR;TIMEOUT;RESOURCE_LOCK;RUNNER"
                          "SOURCES;LIBS;LABELS;DEFINITIONS;INCLUDES;DEPENDS;ENVIRONMENT")
    if(NOT arg_NAME OR arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "qm_add_test: NAME is required; not understood: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    set(name ${arg_NAME})

    if(arg_QT_MAIN)
        add_executable(${name} ${arg_SOURCES})
        target_link_libraries(${name} PRIVATE qm_qt_test_main ${arg_LIBS} GTest::gtest)
    elseif(arg_OWN_MAIN)
        add_executable(${name} ${arg_SOURCES})
        target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest)
    else()
        add_executable(${name} ${arg_SOURCES})
        target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main)
    endif()
    target_link_options(${name} PRIVATE ${QM_FAST_LINK_OPTIONS})
    if(arg_INCLUDES)
        target_include_directories(${name} PRIVATE ${arg_INCLUDES})
    endif()
    if(arg_DEFINITIONS)
        target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
    endif()
    if(arg_OUTPUT_DIR)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${arg_OUTPUT_DIR})
    endif()
    if(arg_STAMP_VERSION)
        qm_stamp_version(${name})
    endif()
    if(arg_DEPENDS)
        add_dependencies(${name} ${arg_DEPENDS})
    endif()

    if(arg_OFFSCREEN)
        list(APPEND arg_ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
    qm_register_test(${name} "" "${arg_ONE_TEST}" "${arg_RUNNER}" "${arg_LABELS}" "${arg_ENVIRONMENT}"
                     "${arg_TIMEOUT}" "${arg_RESOURCE_LOCK}")
    if(arg_BOTH_DATABASES)
        list(APPEND arg_ENVIRONMENT QM_TEST_DATABASE=postgresql)
        qm_register_test(${name} .postgresql "${arg_ONE_TEST}" "${arg_RUNNER}" "${arg_LABELS}"
                         "${arg_ENVIRONMENT}" "${arg_TIMEOUT}" "${arg_RESOURCE_LOCK}")
    endif()
endfunction()

# Registers the program's tests with CTest, their names followed by `suffix`.
function(qm_register_test name suffix one_test runner labels environment timeout resource_lock)
    if(one_test)
        add_test(NAME ${name}${suffix} COMMAND ${runner} $<TARGET_FILE:${name}>)
    endif()
    set(properties)
    foreach(property LABELS ENVIRONMENT TIMEOUT RESOURCE_LOCK)
        string(TOLOWER ${property} variable)
        if(NOT ${variable})
            continue()
        endif()
        if(one_test)
            set_tests_properties(${name}${suffix} PROPERTIES ${property} "${${variable}}")
        else()
            list(JOIN ${variable} "\\;" value)
            list(APPEND properties ${property} ${value})
        endif()
    endforeach()
    if(one_test)
        return()
    elseif(properties)
        gtest_discover_tests(${name} TEST_SUFFIX "${suffix}" PROPERTIES ${properties})
    else()
        gtest_discover_tests(${name} TEST_SUFFIX "${suffix}")
    endif()
endfunction()
