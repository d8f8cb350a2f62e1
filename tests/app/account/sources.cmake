# The account feature: the wizard's flow and the dialogs' checks natively, their windows
# under Wine.
target_sources(app_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/account_logic_test.cpp)
if(WIN32)
    target_sources(main_window_tests PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/account_wizard_window_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/account_dialogs_window_test.cpp
    )
endif()
