# The command line and one instance per user.
kh_app_part(
    LOGIC command_line.cpp
    WINDOWS single_instance.cpp)
