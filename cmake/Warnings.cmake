# Warnings are errors everywhere: in the product, the stand-in, the emulated drives and
# the tests alike.
function(fw_strict_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Werror -Wformat=2 -Wshadow -Wundef -Wnon-virtual-dtor)
endfunction()
