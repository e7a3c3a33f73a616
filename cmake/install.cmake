# Installation (cmake --install, and so the Debian package): `caisse`,
# `caisse-init`, `caisse-check` and `caisse-backup` in bin/ with the launcher
# `caisse-launch`, the engine library
# in a private folder that the program finds from its own location
# (bin/../lib/<multiarch>/caisse/), the manual pages, and the desktop entry,
# its icons and the AppStream metainfo. Included once from the top
# CMakeLists.txt; the rules are added once every folder has defined its
# targets.
include_guard(GLOBAL)

set(CAISSE_APP_ID be.sportbar.caisse)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(CAISSE_PRIVATE_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/caisse)
else()
  set(CAISSE_PRIVATE_LIBDIR lib/caisse)
endif()
set(CAISSE_ICON_SIZES 16 22 24 32 48 64 128 256)

function(caisse_install_rules)
  foreach(target caisse caisse-init caisse-check caisse-backup sde50)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "cmake/install.cmake: no target ${target} to install")
    endif()
  endforeach()

  # The binding looks for the engine in the private folder too.
  set(binding ${PROJECT_SOURCE_DIR}/store/sde_binding.cpp)
  if(NOT EXISTS ${binding})
    message(FATAL_ERROR "cmake/install.cmake: ${binding} moved; point the library folder at it")
  endif()
  cmake_path(GET binding PARENT_PATH binding_dir)
  set_property(SOURCE ${binding} DIRECTORY ${binding_dir} APPEND PROPERTY
    COMPILE_DEFINITIONS CAISSE_PRIVATE_LIBDIR="${CAISSE_PRIVATE_LIBDIR}")

  install(TARGETS caisse caisse-init caisse-check caisse-backup RUNTIME DESTINATION bin)
  install(TARGETS sde50 LIBRARY DESTINATION ${CAISSE_PRIVATE_LIBDIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/caisse-launch DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/caisse.1 ${PROJECT_SOURCE_DIR}/packaging/caisse-launch.1
                ${PROJECT_SOURCE_DIR}/packaging/caisse-init.1 ${PROJECT_SOURCE_DIR}/packaging/caisse-check.1
                ${PROJECT_SOURCE_DIR}/packaging/caisse-backup.1
          DESTINATION share/man/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/caisse.desktop
          DESTINATION share/applications RENAME ${CAISSE_APP_ID}.desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${CAISSE_APP_ID}.metainfo.xml
          DESTINATION share/metainfo)

  # The icons, drawn from the club logo at the usual sizes.
  add_executable(make_icons ${PROJECT_SOURCE_DIR}/packaging/make_icons.cpp)
  target_link_libraries(make_icons PRIVATE Qt6::Gui)
  set(icons ${CMAKE_BINARY_DIR}/icons/hicolor)
  set(icon_files)
  foreach(size IN LISTS CAISSE_ICON_SIZES)
    list(APPEND icon_files ${icons}/${size}x${size}/apps/${CAISSE_APP_ID}.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:make_icons> ${PROJECT_SOURCE_DIR}/resources/logo.jpg
            ${icons} ${CAISSE_APP_ID} ${CAISSE_ICON_SIZES}
    DEPENDS make_icons ${PROJECT_SOURCE_DIR}/resources/logo.jpg
    COMMENT "Drawing the desktop icons from the logo")
  add_custom_target(caisse_icons ALL DEPENDS ${icon_files})
  install(DIRECTORY ${icons}/ DESTINATION share/icons/hicolor)
endfunction()

cmake_language(DEFER CALL caisse_install_rules)
