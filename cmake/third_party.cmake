# toml++ (settings file) and CLI11 (command line): header-only libraries from
# Debian (libtomlplusplus-dev, libcli11-dev). Every build, the mingw one
# included, sees them through a private folder that holds only their two
# header folders, never through /usr/include itself.
find_path(ZAP_TOMLPP_INCLUDE toml++/toml.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(ZAP_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZAP_TOMLPP_INCLUDE OR NOT ZAP_CLI11_INCLUDE)
  message(FATAL_ERROR "toml++ and CLI11 headers not found: run tools/install-deps.sh "
                      "(packages libtomlplusplus-dev, libcli11-dev)")
endif()
set(zap_third_party_dir ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${zap_third_party_dir})
file(CREATE_LINK ${ZAP_TOMLPP_INCLUDE}/toml++ ${zap_third_party_dir}/toml++ SYMBOLIC)
file(CREATE_LINK ${ZAP_CLI11_INCLUDE}/CLI ${zap_third_party_dir}/CLI SYMBOLIC)
add_library(zap_third_party INTERFACE)
target_include_directories(zap_third_party SYSTEM INTERFACE ${zap_third_party_dir})
# toml++ compiled into the one file that includes it.
target_compile_definitions(zap_third_party INTERFACE TOML_HEADER_ONLY=1)
