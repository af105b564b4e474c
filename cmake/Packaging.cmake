# Installation of the Python package and the Debian package (cpack -G DEB) of the whole system.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)

# The Python package goes where Debian's python3 finds packages of the distribution (or of
# /usr/local), with a module that tells it where liblyrcom lies relative to itself.
set(LYR_PYTHON_INSTALL_DIR "lib/python3/dist-packages" CACHE STRING
  "Folder (relative to the prefix) of the Python package tdx880")
file(RELATIVE_PATH lyr_python_to_libdir "/prefix/${LYR_PYTHON_INSTALL_DIR}/tdx880"
  "/prefix/${CMAKE_INSTALL_LIBDIR}/liblyrcom.so.1")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/python/_install.py CONTENT
  "# Written by the installation: liblyrcom relative to this package's folder.\nLIBRARY = \"${lyr_python_to_libdir}\"\n")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/tdx880 DESTINATION ${LYR_PYTHON_INSTALL_DIR}
  FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/python/_install.py DESTINATION ${LYR_PYTHON_INSTALL_DIR}/tdx880)

# The manual page and the package's changelog go compressed, as Debian keeps them; the changelog
# and the copyright file in the package's documentation folder.
foreach(lyr_gz_source tools/tdx880/tdx880.1 cmake/debian/changelog)
  get_filename_component(lyr_gz_name ${lyr_gz_source} NAME)
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/${lyr_gz_source}
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/${lyr_gz_name}.gz COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${lyr_gz_source})
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/packaging/tdx880.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lyr-tdx880)

set(CPACK_PACKAGE_NAME "lyr-tdx880")
set(CPACK_PACKAGE_VENDOR "Lyr")
set(CPACK_PACKAGE_CONTACT "Lyr.Tdx.Package880 developers <tdx880@lyr.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GOST transport packages: library, automation server and tool")
set(CPACK_PACKAGE_DESCRIPTION [[
Builds, reads, signs, encrypts, decrypts and verifies transport packages:
ZIP archives of documents with an XML description, GOST CMS signatures and
envelopes. Holds liblyrcom, the automation server libLyrTdxPackage880, the
tdx880 tool and the Python package tdx880.]])
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://lyr.example/tdx880")
# Dependencies from the libraries' own needs (dpkg-shlibdeps) and what is loaded at run time:
# the GOST engine (an OpenSSL engine loaded by name) and Python for the Python package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libengine-gost-openssl, python3")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/debian/postinst
  ${PROJECT_SOURCE_DIR}/cmake/debian/prerm
  ${PROJECT_SOURCE_DIR}/cmake/debian/postrm
  ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
