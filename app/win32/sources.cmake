# The App that composes the program, the main window with its parts, and the translators'
# template made from them.
if(WIN32)
    target_sources(kh_app_win32 PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/app.cpp
        ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
        ${CMAKE_CURRENT_LIST_DIR}/main_chrome.cpp
        ${CMAKE_CURRENT_LIST_DIR}/entry_list_view.cpp
        ${CMAKE_CURRENT_LIST_DIR}/command_bar.cpp
        ${CMAKE_CURRENT_LIST_DIR}/language_template.cpp)
    target_include_directories(kh_app_win32 PUBLIC ${CMAKE_CURRENT_LIST_DIR})
endif()
