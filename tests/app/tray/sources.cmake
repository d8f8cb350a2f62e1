# The resident program: its rules natively; the tray icon, its menu, the hotkey, the
# second start's hand-over and the registry values with the real windows under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tray_logic_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tray_window_test.cpp)
endif()
