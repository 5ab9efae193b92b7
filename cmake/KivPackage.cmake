# The portable Windows package: the shipped i686 kiv.exe with its help page, the console and a readme
# for Windows users, zipped flat as kiv-<version>-win32.zip in the build tree. Target kiv_package.
if(NOT (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
  return()
endif()
set(KIV_PACKAGE_NAME kiv-${PROJECT_VERSION}-win32)
set(KIV_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${KIV_PACKAGE_NAME}.zip)
set(stage ${CMAKE_BINARY_DIR}/package/${KIV_PACKAGE_NAME})
add_custom_command(OUTPUT ${KIV_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kiv> $<TARGET_FILE:kmconsole> ${CMAKE_SOURCE_DIR}/docs/help/Kiv.html
          ${CMAKE_SOURCE_DIR}/docs/windows/README.txt ${stage}
  COMMAND ${CMAKE_STRIP} ${stage}/kmconsole.exe
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KIV_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
          ${CMAKE_COMMAND} -E tar cf ${KIV_PACKAGE_ZIP} --format=zip kiv.exe Kiv.html kmconsole.exe README.txt
  DEPENDS kiv kmconsole ${CMAKE_SOURCE_DIR}/docs/help/Kiv.html ${CMAKE_SOURCE_DIR}/docs/windows/README.txt
  COMMENT "Packaging ${KIV_PACKAGE_NAME}.zip"
  VERBATIM)
add_custom_target(kiv_package ALL DEPENDS ${KIV_PACKAGE_ZIP})
