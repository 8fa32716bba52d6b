# setup.exe: one static executable that imports only DLLs Windows always takes from System32.
add_executable(setup WIN32
  setup/platform/win32/form_window.cpp
  setup/platform/win32/forms_toolkit.cpp
  setup/platform/win32/layout_metrics.cpp
  setup/platform/win32/message_boxes.cpp
  setup/platform/win32/main.cpp
  ${PROJECT_BINARY_DIR}/setup.rc
)
target_link_libraries(setup PRIVATE setup_win32_platform)
target_compile_definitions(setup PRIVATE ${SETUP_WINDOWS_7})
# Both carry the project's version. The manifest is embedded by the resource script; its path is
# relative to the script.
configure_file(setup/platform/win32/setup.rc.in setup.rc @ONLY)
configure_file(setup/platform/win32/setup.exe.manifest.in setup.exe.manifest @ONLY)
set_source_files_properties(${PROJECT_BINARY_DIR}/setup.rc PROPERTIES
  OBJECT_DEPENDS "${PROJECT_BINARY_DIR}/setup.exe.manifest;${PROJECT_SOURCE_DIR}/setup/platform/win32/setup.ico")

if(MSVC)  # untested
  set_property(TARGET setup PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  target_link_options(setup PRIVATE /MANIFEST:NO /DYNAMICBASE /NXCOMPAT /HIGHENTROPYVA
    # Load-time dependencies come from System32 only.
    /DEPENDENTLOADFLAG:0x800)
else()
  # No link time in the header (--no-insert-timestamp): two builds of one commit are the same bytes.
  target_link_options(setup PRIVATE -municode -static
    -Wl,--dynamicbase,--nxcompat,--high-entropy-va,--gc-sections,--no-insert-timestamp
    $<$<NOT:$<CONFIG:Debug>>:-s>)
endif()
