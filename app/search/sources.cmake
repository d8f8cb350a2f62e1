# Find and Find Again with the find dialog.
kh_app_part(
    LOGIC finder.cpp
    WINDOWS search_feature.cpp tfrm_finder.cpp)
