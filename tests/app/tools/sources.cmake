# The Tools menu: the generator's and the Settings dialog's rules natively; the generator,
# the file remover and the Settings dialog as windows under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tools_logic_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tools_window_test.cpp)
endif()
