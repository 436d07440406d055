# The Debian package: `cpack -G DEB` in the build folder writes quillet_<version>_amd64.deb
# from the installed tree under /usr. dpkg-shlibdeps finds the linked libraries (Qt 6, SDL2,
# libburn, libisofs); the FFmpeg libraries are loaded at run time, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Sablewick <quillet@sablewick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video converter over the FFmpeg libraries")
# Lines of the long description stay within the 80 columns Debian's tools show.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet collects media files in a list and converts the whole list in one\n\
batch, with a ready-made profile or settings of its own. The list can also\n\
have its audio extracted, be run through an option string in the syntax of\n\
the ffmpeg tool, be previewed frame by frame or be burned to a data disc.\n\
quillet-cli converts one file without windows.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://sablewick.example/quillet/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(ffmpeg_5_1 "(>= 7:5.1)")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libavutil57 ${ffmpeg_5_1}, libavcodec59 ${ffmpeg_5_1}, libavformat59 ${ffmpeg_5_1}, \
libavfilter8 ${ffmpeg_5_1}, libavdevice59 ${ffmpeg_5_1}, libswscale6 ${ffmpeg_5_1}, \
libswresample4 ${ffmpeg_5_1}, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

# Debian's documentation files: copyright and the compressed changelog (of a native
# package: the version has no Debian revision).
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
quillet_gzip(${PROJECT_SOURCE_DIR}/data/debian/changelog ${changelog})
add_custom_target(quillet_changelog ALL DEPENDS ${changelog})
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${changelog}
        DESTINATION share/doc/quillet)

include(CPack)
