# The Debian package of the Linux program: `cpack -G DEB` in a build folder gives kestrin_<version>_<arch>.deb
# with the program, its desktop entry and its icons; the library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VENDOR "Kestrin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Search, batch-rename and copy the files of a folder tree")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrin searches the files of a folder tree by path, extension and content, renames them in one
batch, copies the results into a mirror tree, and finds which files mention a resource file.")
set(CPACK_PACKAGE_CONTACT "Kestrin maintainers <kestrin@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The captions are Chinese: without a CJK font they show as boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrin)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
