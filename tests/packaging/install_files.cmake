# Installs the build tree into a fresh prefix and compares the files that
# land there with the list below: a file missing, misnamed or installed by
# mistake fails the test.
# Usage: cmake -DBUILD_DIR=... -DPREFIX=... -P install_files.cmake

set(expected
    bin/sorbel-client
    bin/sorbel-scan
    bin/sorbel-sim
    share/applications/org.example.sorbel.Client.desktop
    share/doc/sorbel-client/copyright
    share/icons/hicolor/128x128/apps/org.example.sorbel.Client.png
    share/icons/hicolor/16x16/apps/org.example.sorbel.Client.png
    share/icons/hicolor/256x256/apps/org.example.sorbel.Client.png
    share/icons/hicolor/32x32/apps/org.example.sorbel.Client.png
    share/icons/hicolor/48x48/apps/org.example.sorbel.Client.png
    share/icons/hicolor/64x64/apps/org.example.sorbel.Client.png
    share/man/man1/sorbel-client.1.gz
    share/man/man1/sorbel-scan.1.gz
    share/man/man1/sorbel-sim.1.gz
    share/metainfo/org.example.sorbel.Client.metainfo.xml
)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${installed})
    set(extra ${installed})
    list(REMOVE_ITEM extra ${expected})
    message(FATAL_ERROR "installed files differ from the expected list\n"
                        "  missing: ${missing}\n  not expected: ${extra}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
