# The account feature: the wizard's flow and the dialogs' checks natively.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/account_logic_test.cpp)
