# cmake -DBUILD_DIR=... -DPREFIX=... -P check_installed_files.cmake
# Fails with the first installed file a desktop would reject or show wrongly.
file(REMOVE_RECURSE "${PREFIX}")
# The user's own install_manifest.txt is what the uninstall reads; this install must leave it be.
set(manifest "${BUILD_DIR}/install_manifest.txt")
set(users_manifest "")
if(EXISTS "${manifest}")
    file(READ "${manifest}" users_manifest)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                        --component armsmith OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
set(after "")
if(EXISTS "${manifest}")
    file(READ "${manifest}" after)
endif()
if(NOT after STREQUAL users_manifest)
    message(FATAL_ERROR "the test's install rewrote ${manifest}")
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

set(mime_package "${share}/mime/packages/armsmith.xml")
run_checker(xmllint --noout --relaxng "${CMAKE_CURRENT_LIST_DIR}/shared_mime_info.rng"
            "${mime_package}")
run_checker(update-mime-database "${share}/mime")
run_checker(desktop-file-validate "${desktop_entry}")
run_checker(appstreamcli validate --no-net "${metainfo}")
run_checker(appstreamcli validate-tree --no-net "${PREFIX}")

# A file manager's "Open with" passes the file only where Exec asks for it.
file(STRINGS "${desktop_entry}" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=armsmith %f")
    message(FATAL_ERROR "${desktop_entry}: '${exec}' does not take the file to open")
endif()
# A file manager offers Armsmith for weapon files by their type, which the installed database
# must give them by name and know as text.
file(STRINGS "${desktop_entry}" types REGEX "^MimeType=")
file(STRINGS "${share}/mime/globs2" globs REGEX ":application/x-zembrak-weapon:")
file(STRINGS "${share}/mime/subclasses" parents REGEX "^application/x-zembrak-weapon ")
if(NOT types MATCHES "^MimeType=(.*;)?application/x-zembrak-weapon[;\\]"
   OR NOT globs MATCHES ":\\*\\.wpn$"
   OR NOT parents STREQUAL "application/x-zembrak-weapon text/plain")
    message(FATAL_ERROR "weapon files are not known by type: '${types}', '${globs}', '${parents}'")
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
