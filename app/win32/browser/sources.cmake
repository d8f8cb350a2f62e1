# The browser integration: requests on the login window, the context-menu entries and the
# pages.
target_sources(kh_app_win32 PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/browser_adapters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/browser_feature.cpp
)
