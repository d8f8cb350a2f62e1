# The browser integration: requests on the login window, menu entries and pages.
kh_app_part(
    WINDOWS browser_adapters.cpp browser_feature.cpp)
