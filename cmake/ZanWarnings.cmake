# Warnings are errors on our own targets only; third-party headers come in
# as system includes and stay out of it.
function(zan_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
endfunction()

# A shared library shows only what its export macro marks.
function(zan_hidden_visibility target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
