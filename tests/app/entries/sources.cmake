# The entries feature: the wizard's flow and the entry commands natively; the wizard's
# window under Wine.
target_sources(app_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/entry_wizard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_commands_test.cpp
)
if(WIN32)
    target_sources(main_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/entry_wizard_window_test.cpp)
endif()
