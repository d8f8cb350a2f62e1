# The Tools menu: the generator's and the Settings dialog's rules natively.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tools_logic_test.cpp)
