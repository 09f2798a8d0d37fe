# Reads `objdump -d -z --insn-width=16` of one section and writes "start ADDRESS" (the
# section's first address), then the address of every instruction, one a line.
/^[0-9a-f]+ <[^>]*>:$/ { if (!started) { print "start", $1; started = 1 } }
/^ *[0-9a-f]+:\t/ { sub(":", "", $1); print $1 }
