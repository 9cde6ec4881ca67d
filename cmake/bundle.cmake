# The bundle layout, the same on every platform, so that the application finds its tool at
# applicationDirPath() + "/../Helpers/tessavel-connect".
set(TV_BUNDLE_DIR "${CMAKE_BINARY_DIR}/Tessavel Veridir.app")
set(TV_BUNDLE_MACOS_DIR "${TV_BUNDLE_DIR}/Contents/MacOS")
set(TV_BUNDLE_HELPERS_DIR "${TV_BUNDLE_DIR}/Contents/Helpers")
