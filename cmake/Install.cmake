# The installed tree: the two programs in bin, the preview module in lib/quillet and the
# program's data (style file, manual) in share/quillet, where the programs look for them
# relative to their own folder.
install(TARGETS quillet quillet-cli RUNTIME DESTINATION bin)
install(TARGETS quillet-cli-preview LIBRARY DESTINATION lib/quillet)
install(FILES ${PROJECT_SOURCE_DIR}/Src/shell/resources/Dark.vsf
              ${PROJECT_SOURCE_DIR}/Src/shell/resources/Quillet.html
        DESTINATION share/quillet)

# The desktop entry, its icons and the AppStream metadata, under the application id the
# launcher progress and the window use.
set(QUILLET_APP_ID example.sablewick.Quillet)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QUILLET_APP_ID}.desktop
        DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${QUILLET_APP_ID}.metainfo.xml DESTINATION share/metainfo)
set(icon ${PROJECT_SOURCE_DIR}/data/icons/${QUILLET_APP_ID}.svg)
install(FILES ${icon} DESTINATION share/icons/hicolor/scalable/apps)
# The fixed sizes are rendered from the drawing at build time.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(pngs)
foreach(size 16 24 32 48 64 128 256)
  set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/${QUILLET_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon}
    DEPENDS ${icon})
  list(APPEND pngs ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(quillet_icons ALL DEPENDS ${pngs})

# AFile compressed as Debian's tools expect (gzip -9n: no name, no time) into AOutput.
function(quillet_gzip AFile AOutput)
  get_filename_component(folder ${AOutput} DIRECTORY)
  add_custom_command(OUTPUT ${AOutput}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND gzip -9n -c ${AFile} > ${AOutput}
    DEPENDS ${AFile})
endfunction()

# The manual pages.
set(pages)
foreach(page quillet.1 quillet-cli.1)
  quillet_gzip(${PROJECT_SOURCE_DIR}/data/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz)
  list(APPEND pages ${PROJECT_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(quillet_man ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION share/man/man1)
