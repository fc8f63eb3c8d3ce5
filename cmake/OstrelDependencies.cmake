# The libraries every target may use. Folders that need one of the importer
# libraries find it in their own CMakeLists.txt.
find_package(PkgConfig REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)
find_package(TBB REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
set(CMAKE_AUTOMOC ON)
