# The Windows packages of the shipped i686 build, in the build tree: the portable zip
# kiv-<version>-win32.zip (kiv.exe with its help page, the console and the readmes, flat) and the
# per-user installer kiv-<version>-win32.msi of the same files, built with wixl (msitools).
# Target kiv_package.
if(NOT (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
  return()
endif()
set(KIV_PACKAGE_NAME kiv-${PROJECT_VERSION}-win32)
set(KIV_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${KIV_PACKAGE_NAME}.zip)
set(KIV_PACKAGE_MSI ${CMAKE_BINARY_DIR}/${KIV_PACKAGE_NAME}.msi)
set(stage ${CMAKE_BINARY_DIR}/package/${KIV_PACKAGE_NAME})
set(readmes ${CMAKE_SOURCE_DIR}/docs/windows/README.txt ${CMAKE_SOURCE_DIR}/docs/windows/README-ja.txt)
add_custom_command(OUTPUT ${KIV_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kiv> $<TARGET_FILE:kmconsole> ${CMAKE_SOURCE_DIR}/docs/help/Kiv.html
          ${readmes} ${stage}
  COMMAND ${CMAKE_STRIP} ${stage}/kmconsole.exe
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KIV_PACKAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
          ${CMAKE_COMMAND} -E tar cf ${KIV_PACKAGE_ZIP} --format=zip kiv.exe Kiv.html kmconsole.exe README.txt README-ja.txt
  DEPENDS kiv kmconsole ${CMAKE_SOURCE_DIR}/docs/help/Kiv.html ${readmes}
  COMMENT "Packaging ${KIV_PACKAGE_NAME}.zip"
  VERBATIM)

# The installer takes the staged files. Each version is a product of its own (its product code
# derived from the version), so that a newer installer upgrades an older one in place.
find_program(KIV_WIXL wixl)
if(NOT KIV_WIXL)
  message(WARNING "wixl (Debian package wixl) is missing: no ${KIV_PACKAGE_NAME}.msi; scripts/bootstrap.sh installs it")
  add_custom_target(kiv_package ALL DEPENDS ${KIV_PACKAGE_ZIP})
  return()
endif()
string(UUID KIV_PRODUCT_CODE NAMESPACE 7E5F2A61-3B0C-4D8E-9A47-1C2B5D6E8F90 NAME "Kiv ${PROJECT_VERSION}" TYPE SHA1 UPPER)
add_custom_command(OUTPUT ${KIV_PACKAGE_MSI}
  # wixl finds the files by paths relative to where it runs.
  COMMAND ${KIV_WIXL} -D Version=${PROJECT_VERSION} -D ProductCode=${KIV_PRODUCT_CODE} -D SourceDir=.
          -o ${KIV_PACKAGE_MSI} ${CMAKE_SOURCE_DIR}/packaging/kiv.wxs
  WORKING_DIRECTORY ${stage}
  DEPENDS ${KIV_PACKAGE_ZIP} ${CMAKE_SOURCE_DIR}/packaging/kiv.wxs
  COMMENT "Packaging ${KIV_PACKAGE_NAME}.msi"
  VERBATIM)
add_custom_target(kiv_package ALL DEPENDS ${KIV_PACKAGE_ZIP} ${KIV_PACKAGE_MSI})
