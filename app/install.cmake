# cmake --install: both programs, and the window's desktop entry with its icon in every size.
include(GNUInstallDirs)
install(TARGETS quandrel-qr-code quandrel-qr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/quandrel-qr-code.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/resources/icons/quandrel-qr-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quandrel-qr-code.png)
endforeach()
