# setup.exe: one static executable that imports only DLLs Windows always takes from System32.
add_executable(setup WIN32
  setup/platform/win32/win32_form.cpp
  setup/platform/win32/forms_toolkit.cpp
  setup/platform/win32/layout_metrics.cpp
  setup/platform/win32/message_boxes.cpp
  setup/platform/win32/main.cpp
  setup/platform/win32/one_setup.cpp
  setup/platform/win32/win32_start_up.cpp
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

# High-entropy ASLR places a 64-bit program anywhere in its address space; a 32-bit one has no
# such flag.
set(setup_64_bit $<EQUAL:${CMAKE_SIZEOF_VOID_P},8>)
if(MSVC)  # untested
  set_property(TARGET setup PROPERTY MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  target_link_options(setup PRIVATE /MANIFEST:NO /DYNAMICBASE /NXCOMPAT
    $<${setup_64_bit}:/HIGHENTROPYVA>
    # Load-time dependencies come from System32 only.
    /DEPENDENTLOADFLAG:0x800)
else()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # MinGW GCC 12 crashes in link-time optimisation (binds_to_current_def_p) on some programs
    # it splits into partitions; one partition avoids it, and a program this size needs no more.
    target_link_options(setup PRIVATE -flto-partition=one)
  endif()
  # No link time in the header (--no-insert-timestamp): two builds of one commit are the same bytes.
  target_link_options(setup PRIVATE -municode -static
    -Wl,--dynamicbase,--nxcompat,--gc-sections,--no-insert-timestamp
    $<${setup_64_bit}:-Wl,--high-entropy-va> $<$<NOT:$<CONFIG:Debug>>:-s>)
  # libstdc++'s default terminate handler prints the escaping exception's type, demangled, on
  # stderr and then aborts; a windowed program has no stderr to show it on. Taking abort itself
  # leaves out the demangler and the printf it uses (45 KB); what a terminate does is the same.
  # 32-bit Windows puts an underscore before every C and C++ symbol. GNU ld only: lld has no
  # --defsym for Windows.
  set(prefix $<$<NOT:${setup_64_bit}>:_>)
  set(handler ${prefix}_ZN9__gnu_cxx27__verbose_terminate_handlerEv)
  target_link_options(setup PRIVATE
    $<$<CXX_COMPILER_ID:GNU>:-Wl,--defsym=${handler}=${prefix}abort>)
  # The linker keeps all of an object's unwind tables, and so every function they describe. The
  # old-ABI string that libstdc++'s exceptions hold their messages in thus brings in its
  # random_device's start and through it random_device and the whole current std::string (32 KB
  # on 32-bit, 20 KB on 64-bit); the old-ABI error message brings in __sso_string (1.5 KB). Only
  # code built for the old ABI calls either. With abort for what they call, those objects stay
  # out; should the program use random_device one day, the library's own start comes with it
  # and is the one linked. The last argument, a size_t, is unsigned int or unsigned long long.
  set(size_t_code $<IF:${setup_64_bit},y,j>)
  foreach(unreached _ZNSt13random_device7_M_initEPKc _ZNSt12__sso_stringC1EPKc)
    target_link_options(setup PRIVATE
      $<$<CXX_COMPILER_ID:GNU>:-Wl,--defsym=${prefix}${unreached}${size_t_code}=${prefix}abort>)
  endforeach()
endif()
