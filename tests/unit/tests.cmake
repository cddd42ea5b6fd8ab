# Unit test executables; paths are relative to tests/.
