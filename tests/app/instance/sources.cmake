# The command line natively (the second start's hand-over is a tray window test).
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp)
