# The Help menu: the tip of the day, About and the web pages.
kh_app_part(
    WINDOWS help_feature.cpp)
