# The resident program: its rules natively; the tray icon, its menu, the hotkey, the
# second start's hand-over and the registry values with the real windows under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tray_logic_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tray_window_test.cpp)
    # Started by a test as a second instance.
    add_dependencies(main_window_tests Keyhaven)
    target_compile_definitions(main_window_tests PRIVATE
        KH_KEYHAVEN_EXE="$<TARGET_FILE:Keyhaven>")
endif()
