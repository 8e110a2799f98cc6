# A gdb session against a program's --gdb on gdb_cart (session.sh connects first, then checks
# that every "expect" pattern below, an extended regular expression, is in gdb's output).
info registers r0 pc cpsr
# expect ^pc +0x8000000 +0x8000000 <_start>
# expect ^cpsr +0x1f +31
break arm_label
break thumb_label
continue
# expect Breakpoint 1, 0x08000004 in arm_label
print $r0
# expect ^\$1 = 1$
continue
# expect Breakpoint 2, 0x08000016 in thumb_label
print $cpsr & 0x20
# expect ^\$2 = 32$
delete
break thumb_loop
continue
stepi
# expect ^0x08000018 in bump
set {int}0x02000100 = 41
x/wx 0x02000100
# expect ^0x2000100:\s+0x00000029$
delete
watch *(int *)0x02000100
continue
# expect Hardware watchpoint 4: \*\(int \*\)0x02000100
# expect ^New value = 42$
delete
awatch *(int *)0x02000104
continue
# expect Hardware access \(read/write\) watchpoint 5: \*\(int \*\)0x02000104
# expect ^Value = 33554688$
delete
rwatch *(int *)0x02000100
continue
# expect Hardware read watchpoint 6: \*\(int \*\)0x02000100
# expect ^Value = 43$
delete
python
import os, signal, threading
threading.Timer(0.5, lambda: os.kill(os.getpid(), signal.SIGINT)).start()
end
continue
# expect received signal SIGINT
x/wx 0x02000100
# expect ^0x2000100:\s+0x[0-9a-f]{8}$
detach
# expect Remote target\) detached
