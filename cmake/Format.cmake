# One layout for every C++ source, kept by clang-format with the checked-in
# .clang-format: `cmake --build build --target format` rewrites the sources,
# scripts/ci/format.sh fails on any that differ. Debian 12's clang-format 14
# is the version the layout is made with; another version may move lines.
find_program(TELLMAR_CLANG_FORMAT NAMES clang-format-14 clang-format)
if(TELLMAR_CLANG_FORMAT)
  file(GLOB_RECURSE TELLMAR_FORMAT_SOURCES CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
    ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
    ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
    ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h)
  add_custom_target(format
    COMMAND ${TELLMAR_CLANG_FORMAT} -i ${TELLMAR_FORMAT_SOURCES}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "clang-format: rewriting the C++ sources"
    VERBATIM)
endif()
