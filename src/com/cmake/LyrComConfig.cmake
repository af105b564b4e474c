# CMake package of liblyrcom: find_package(LyrCom) provides the imported target Lyr::Com.
include("${CMAKE_CURRENT_LIST_DIR}/LyrComTargets.cmake")
