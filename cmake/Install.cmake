# The installed tree: the two programs in bin, the preview module in lib/quillet and the
# program's data (style file, manual) in share/quillet, where the programs look for them
# relative to their own folder.
install(TARGETS quillet quillet-cli RUNTIME DESTINATION bin)
install(TARGETS quillet-cli-preview LIBRARY DESTINATION lib/quillet)
install(FILES ${PROJECT_SOURCE_DIR}/Src/shell/resources/Dark.vsf
              ${PROJECT_SOURCE_DIR}/Src/shell/resources/Quillet.html
        DESTINATION share/quillet)
