# caisse_add_version_record(<target>): links the program's version record
# (Windows VS_VERSIONINFO layout) into the executable <target>, in an ELF
# section ".fileversion" of its own that is never loaded. FileVersion reads it
# back out of the program file; `objcopy --remove-section .fileversion` strips it.
include_guard(GLOBAL)

find_program(CAISSE_PYTHON3 NAMES python3 REQUIRED)
set(CAISSE_VERSION_RECORD_TOOL
    ${CMAKE_CURRENT_LIST_DIR}/../tools/version_record/make_version_record.py
    CACHE INTERNAL "Generator of the program's version record")

function(caisse_add_version_record target)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.cpp)
  set(binary ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_record.bin)
  add_custom_command(
    OUTPUT ${source} ${binary}
    COMMAND ${CAISSE_PYTHON3} ${CAISSE_VERSION_RECORD_TOOL}
            --output ${source} --binary ${binary}
            --file-version 1.1.0.57 --product-version 1.0.0.0
            --translation 080C,04E4
            --string "CompanyName=Comptoir Logiciels"
            --string "FileDescription=Ruzoruz Uzuror"
            --string "FileVersion=1.1.0.57"
            --string "InternalName=caisse"
            --string "LegalCopyright=(c) Comptoir Logiciels"
            --string "LegalTrademarks="
            --string "OriginalFilename=caisse"
            --string "ProductName="
            --string "ProductVersion=1.0.0.0"
            --string "Comments="
    DEPENDS ${CAISSE_VERSION_RECORD_TOOL}
    COMMENT "Version record of ${target}"
    VERBATIM)
  # Listed with the executable itself (not a library), so the linker keeps it.
  target_sources(${target} PRIVATE ${source})
endfunction()
