# Linux: the programs of the Debian package (scripts/package-deb.sh), installed into bin/ of the
# prefix, each as a component of its own name; the same target and list as on Windows.
if(NOT WIN32)
  set(kit_linux_deliverable_targets zorn-display-bridge zorn-utility-cli pole_display_sim)
  foreach(target IN LISTS kit_linux_deliverable_targets)
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT ${target})
  endforeach()
  add_custom_target(deliverables DEPENDS ${kit_linux_deliverable_targets})
  list(JOIN kit_linux_deliverable_targets "\n" kit_deliverables_text)
  file(WRITE ${PROJECT_BINARY_DIR}/deliverables.txt "${kit_deliverables_text}\n")
  return()
endif()

# What a release ships: the Windows deliverables. Each is installed flat into the install prefix
# as a component of its own name; the target `deliverables` builds them all, and deliverables.txt
# in the build tree lists them, one a line, for scripts/package.sh.
set(kit_deliverable_targets VARNEL zorn-utility-cli Zorn_Utility ZornTest zorn-display-bridge)
foreach(target IN LISTS kit_deliverable_targets)
  install(TARGETS ${target}
    RUNTIME DESTINATION . COMPONENT ${target}
    LIBRARY DESTINATION . COMPONENT ${target}
    ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
endforeach()
add_custom_target(deliverables DEPENDS ${kit_deliverable_targets})
list(JOIN kit_deliverable_targets "\n" kit_deliverables_text)
file(WRITE ${PROJECT_BINARY_DIR}/deliverables.txt "${kit_deliverables_text}\n")
