# SQLite for a cross build, compiled from the sources of Debian's sqlite3
# (the version the Linux build links): scripts/windows/sqlite-amalgamation.sh
# makes its amalgamation at configure time with the build machine's tools,
# from TELLMAR_SQLITE_SOURCE_DIR (an unpacked source folder) or, left empty,
# from the sources it fetches into the build tree. Both steps happen once.
set(TELLMAR_SQLITE_SOURCE_DIR "" CACHE PATH
    "Unpacked sources of Debian's sqlite3 (empty: fetched into the build tree)")
message(STATUS "SQLite: the amalgamation of Debian's sqlite3 sources")
execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows/sqlite-amalgamation.sh
          ${CMAKE_BINARY_DIR}/debian-sources ${TELLMAR_SQLITE_SOURCE_DIR}
  OUTPUT_VARIABLE sqlite_amalgamation OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE made)
if(NOT made EQUAL 0 OR NOT EXISTS "${sqlite_amalgamation}/sqlite3.c")
  message(FATAL_ERROR "SQLite's amalgamation could not be made from Debian's sqlite3 sources")
endif()

enable_language(C)
add_library(tellmar_sqlite3 STATIC ${sqlite_amalgamation}/sqlite3.c)
target_include_directories(tellmar_sqlite3 SYSTEM PUBLIC ${sqlite_amalgamation})
# Debian's choices where they matter here (thread-safe, deleted content
# overwritten, schema retries); no extension is ever loaded from a DLL. -O1:
# the store runs a few small statements per message, and the 8 MiB file
# compiles in half the time of -O2 (a quarter of -O3).
target_compile_definitions(tellmar_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1 SQLITE_SECURE_DELETE SQLITE_MAX_SCHEMA_RETRY=25
  SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0)
target_compile_options(tellmar_sqlite3 PRIVATE -O1 -fno-strict-aliasing -w)
