# Installing and packaging.
#
#   cmake --install BUILD [--prefix DIR]   the program and the user's documents
#   cpack --config BUILD/CPackConfig.cmake Linux: a .tar.gz and a .deb; Windows cross build: a .zip
#
# `make package` and `make package-windows` do both for the usual builds.
# On Linux the documents go to share/doc/denoise; the Windows .zip holds
# denoise.exe (32-bit) and denoise64.exe (64-bit, from the 64-bit build
# named by DENOISE_WINDOWS64_PROGRAM), the guide and the refusals as HTML
# pages and the guide's pictures.

# The release is said once, in the banner ("ザルフェン　ver1.1a"); the
# packages take it from there so the two cannot disagree.
function(denoise_banner_release out)
  file(GLOB_RECURSE sources ${PROJECT_SOURCE_DIR}/src/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} title ENCODING UTF-8 REGEX "ザルフェン.*ver[0-9]")
    if(title MATCHES "ver([0-9]+(\\.[0-9]+)*[a-z]*)")
      set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  # Packages made then say 0, which the CI check of the banner refuses;
  # the build itself goes on.
  message(WARNING "packaging: no \"ver...\" release found in the banner text under src/")
  set(${out} 0 PARENT_SCOPE)
endfunction()
denoise_banner_release(DENOISE_RELEASE)

set(DENOISE_GUIDE ${PROJECT_SOURCE_DIR}/docs/guide.ja.md)
set(DENOISE_GUIDE_IMAGES ${PROJECT_SOURCE_DIR}/docs/images/)

if(WIN32)
  # The guide and the refusals as pages any browser opens from the unzipped
  # folder, pictures and tables shown (tools/doc_html.sh, which needs
  # pandoc); built by the target doc_pages, which make package-windows asks for.
  set(DENOISE_PAGES ${PROJECT_BINARY_DIR}/guide-ja.html ${PROJECT_BINARY_DIR}/refusals.html)
  add_custom_command(OUTPUT ${DENOISE_PAGES}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/doc_html.sh ${DENOISE_GUIDE} ${PROJECT_BINARY_DIR}/guide-ja.html ja
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/doc_html.sh ${PROJECT_SOURCE_DIR}/docs/refusals.md ${PROJECT_BINARY_DIR}/refusals.html en
    DEPENDS ${DENOISE_GUIDE} ${PROJECT_SOURCE_DIR}/docs/refusals.md ${PROJECT_SOURCE_DIR}/tools/doc_html.sh
    COMMENT "The guide and the refusals as HTML pages")
  add_custom_target(doc_pages DEPENDS ${DENOISE_PAGES})
  install(TARGETS denoise RUNTIME DESTINATION .)
  set(DENOISE_WINDOWS64_PROGRAM "" CACHE FILEPATH "the 64-bit build's denoise64.exe, packaged beside the 32-bit program")
  if(DENOISE_WINDOWS64_PROGRAM)
    install(PROGRAMS ${DENOISE_WINDOWS64_PROGRAM} DESTINATION .)
  endif()
  install(FILES ${DENOISE_PAGES} DESTINATION .)
  install(DIRECTORY ${DENOISE_GUIDE_IMAGES} DESTINATION images FILES_MATCHING PATTERN "*.png")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME denoise-${DENOISE_RELEASE}-windows)
  # The .zip unpacks into one folder named as the package.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  install(TARGETS denoise RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${DENOISE_GUIDE} ${PROJECT_SOURCE_DIR}/docs/refusals.md ${PROJECT_SOURCE_DIR}/README.md
                ${PROJECT_SOURCE_DIR}/docs/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY ${DENOISE_GUIDE_IMAGES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/images FILES_MATCHING PATTERN "*.png")
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME denoise-${DENOISE_RELEASE}-Linux)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # dpkg-shlibdeps (from dpkg-dev) works out the C and C++ library versions.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(NOT DENOISE_UTF8_CONSOLE)
    message(STATUS "packaging: this build prints Shift-JIS; Linux packages are made with -DDENOISE_UTF8_CONSOLE=ON (make package)")
  endif()
endif()

set(CPACK_PACKAGE_NAME denoise)
set(CPACK_PACKAGE_VERSION ${DENOISE_RELEASE})
set(CPACK_PACKAGE_VENDOR "denoise developers")
set(CPACK_PACKAGE_CONTACT "denoise developers <denoise@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Removes noise from 24-bit BMP pictures, in a Japanese console dialogue")
set(CPACK_PACKAGE_DESCRIPTION
    "Four 5x5 filters (smoothing, median, two blends) chosen in an interactive Japanese dialogue; reads and writes 24-bit BMP files in the current folder. A user guide in Japanese is in /usr/share/doc/denoise.")
set(CPACK_STRIP_FILES ON)
include(CPack)
