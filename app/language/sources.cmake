# The language menu.
kh_app_part(
    WINDOWS language_feature.cpp)
