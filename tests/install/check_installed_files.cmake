# cmake -DBUILD_DIR=... -DPREFIX=... -P check_installed_files.cmake
# Fails with the first installed file a desktop would reject or show wrongly.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()

set(share "${PREFIX}/share")
set(desktop_entry "${share}/applications/armsmith.desktop")
set(metainfo "${share}/metainfo/io.github.armsmith.armsmith.metainfo.xml")

function(run_checker)
    execute_process(COMMAND ${ARGV} RESULT_VARIABLE failed OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    # Both checkers also pass with remarks; any remark short of a pass is a fault here too.
    if(failed OR out MATCHES "(^|\n)(E|W):|error|warning")
        message(FATAL_ERROR "${ARGV} rejects the installed file:\n${out}")
    endif()
endfunction()

run_checker(desktop-file-validate "${desktop_entry}")
run_checker(appstreamcli validate --no-net "${metainfo}")
run_checker(appstreamcli validate-tree --no-net "${PREFIX}")

# A file manager's "Open with" passes the file only where Exec asks for it.
file(STRINGS "${desktop_entry}" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=armsmith %f")
    message(FATAL_ERROR "${desktop_entry}: '${exec}' does not take the file to open")
endif()
if(NOT EXISTS "${PREFIX}/bin/armsmith")
    message(FATAL_ERROR "${PREFIX}/bin/armsmith is missing")
endif()

# Launchers pick an icon by its folder; one drawn at another size would be blown up or cut.
foreach(size 16 24 32 48 64 128 256)
    set(icon "${share}/icons/hicolor/${size}x${size}/apps/armsmith.png")
    if(NOT EXISTS "${icon}")
        message(FATAL_ERROR "${icon} is missing")
    endif()
    file(READ "${icon}" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 width)
    string(SUBSTRING "${header}" 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "${icon} is ${width}x${height}")
    endif()
endforeach()
file(READ "${share}/icons/hicolor/scalable/apps/armsmith.svg" svg)
if(NOT svg MATCHES "^<svg [^>]*viewBox=")
    message(FATAL_ERROR "armsmith.svg does not scale: it has no viewBox")
endif()
