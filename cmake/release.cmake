# The release: a folder to unpack anywhere writable, holding the executable, its settings
# file with the defaults, the user guide in Data/ and a short readme. `cmake --install` lays
# it out; CPack packs it as a zip for Windows and a tar.gz for Linux, one top folder each.

if(WIN32)
  set(VRK_RELEASE_PLATFORM windows-x86)
  set(VRK_RELEASE_GENERATOR ZIP)
else()
  set(VRK_RELEASE_PLATFORM linux-x86_64)
  set(VRK_RELEASE_GENERATOR TGZ)
endif()

# The texts are kept in UTF-8; Windows programs read them in code page 1250 with CR LF.
function(vrk_release_text source target)
  file(READ ${source} text)
  if(WIN32)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${target}.utf8 "${text}")
    execute_process(COMMAND iconv -f UTF-8 -t CP1250 ${target}.utf8
                    OUTPUT_FILE ${target} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "iconv could not write ${target} in code page 1250")
    endif()
  else()
    file(WRITE ${target} "${text}")
  endif()
endfunction()

set(VRK_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
vrk_release_text(${CMAKE_SOURCE_DIR}/packaging/vrk.ini ${VRK_RELEASE_DIR}/vrk.ini)
vrk_release_text(${CMAKE_SOURCE_DIR}/packaging/CTIMNE.txt ${VRK_RELEASE_DIR}/CTIMNE.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/packaging/vrk.ini ${CMAKE_SOURCE_DIR}/packaging/CTIMNE.txt)

install(TARGETS vrk RUNTIME DESTINATION .)
install(FILES ${VRK_RELEASE_DIR}/vrk.ini ${VRK_RELEASE_DIR}/CTIMNE.txt DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/Data/vrk.html DESTINATION Data)

set(CPACK_PACKAGE_NAME vrk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vrk-${PROJECT_VERSION}-${VRK_RELEASE_PLATFORM})
set(CPACK_GENERATOR ${VRK_RELEASE_GENERATOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
