# XML export and import.
kh_app_part(
    LOGIC interchange_commands.cpp
    WINDOWS interchange_feature.cpp)
