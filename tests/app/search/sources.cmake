# Find: the finder's rules natively over a real session and entry list; the find dialog
# and Find Again in the real main window under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/finder_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/finder_window_test.cpp)
endif()
