find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
find_package(Poco REQUIRED COMPONENTS Foundation)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
