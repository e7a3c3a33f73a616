# The folders are layers, bottom to top: store/engine, store, common, ui,
# controls, reports/engine, till, backoffice, reports, app. Each folder is one
# static library whose own headers (not those of its subfolders) the targets
# that link it see as "folder/name.h", through a folder of links in the build
# tree. No target gets the source tree as include path, so a target sees
# exactly the folders it links: a lower folder that includes a higher one
# does not compile.
include_guard(GLOBAL)

# caisse_export_headers(TARGET FOLDER [PRIVATE_HEADERS name.h ...])
# The private headers are seen by TARGET's own sources only.
function(caisse_export_headers target folder)
  cmake_parse_arguments(arg "" "" "PRIVATE_HEADERS" ${ARGN})
  set(public_root ${CMAKE_BINARY_DIR}/include/${target})
  set(private_root ${CMAKE_BINARY_DIR}/include-private/${target})
  file(REMOVE_RECURSE ${public_root} ${private_root})
  file(MAKE_DIRECTORY ${public_root}/${folder} ${private_root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  foreach(header IN LISTS headers)
    cmake_path(GET header FILENAME name)
    if(name IN_LIST arg_PRIVATE_HEADERS)
      file(CREATE_LINK ${header} ${private_root}/${folder}/${name} SYMBOLIC)
    else()
      file(CREATE_LINK ${header} ${public_root}/${folder}/${name} SYMBOLIC)
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${public_root})
  else()
    target_include_directories(${target} PUBLIC ${public_root} PRIVATE ${private_root})
  endif()
endfunction()

# caisse_folder_library(TARGET FOLDER [PRIVATE_HEADERS ...] [EXCLUDE name.cpp ...]
#                       [SOURCES ...])
# A static library of the .cpp and .h files of FOLDER but the excluded ones
# (plus SOURCES), with Qt's meta-object and resource compilers on.
function(caisse_folder_library target folder)
  cmake_parse_arguments(arg "" "" "PRIVATE_HEADERS;EXCLUDE;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
       ${PROJECT_SOURCE_DIR}/${folder}/*.h)
  foreach(name IN LISTS arg_EXCLUDE)
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/${folder}/${name})
  endforeach()
  add_library(${target} STATIC ${sources} ${arg_SOURCES})
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
  caisse_export_headers(${target} ${folder} PRIVATE_HEADERS ${arg_PRIVATE_HEADERS})
endfunction()
