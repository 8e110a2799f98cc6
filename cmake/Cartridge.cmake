# tamo_assemble_cartridge(NAME SOURCE OUTPUT_VAR): assembles an ARM/THUMB assembly program into a
# cartridge image NAME.gba (linked at 0x08000000, entry at its first instruction) in the current
# binary folder, and sets OUTPUT_VAR to its path.
include_guard(GLOBAL)
find_program(ARM_AS arm-none-eabi-as REQUIRED)
find_program(ARM_LD arm-none-eabi-ld REQUIRED)
find_program(ARM_OBJCOPY arm-none-eabi-objcopy REQUIRED)

function(tamo_assemble_cartridge name source output_var)
  get_filename_component(source_dir ${source} DIRECTORY)
  set(obj ${CMAKE_CURRENT_BINARY_DIR}/${name}.o)
  set(elf ${CMAKE_CURRENT_BINARY_DIR}/${name}.elf)
  set(gba ${CMAKE_CURRENT_BINARY_DIR}/${name}.gba)
  file(GLOB includes ${source_dir}/*.inc)
  add_custom_command(
    OUTPUT ${gba}
    COMMAND ${ARM_AS} -mcpu=arm7tdmi -I ${source_dir} -o ${obj} ${source}
    COMMAND ${ARM_LD} -Ttext=0x08000000 -e 0x08000000 -o ${elf} ${obj}
    COMMAND ${ARM_OBJCOPY} -O binary ${elf} ${gba}
    DEPENDS ${source} ${includes}
    COMMENT "Assembling cartridge ${name}.gba")
  add_custom_target(cartridge_${name} ALL DEPENDS ${gba})
  set(${output_var} ${gba} PARENT_SCOPE)
endfunction()
