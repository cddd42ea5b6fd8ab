# Unit test executables; paths are relative to tests/.
korvi_unit_test(cellular_test unit/cellular_test.cpp unit/sar_config_message_test.cpp unit/sar_reply_report_test.cpp
                 unit/blocking_wait_test.cpp)
korvi_unit_test(controller_test unit/controller_test.cpp)
korvi_unit_test(scenario_test unit/scenario_test.cpp)
korvi_unit_test(wlan_power_test unit/wlan_power_test.cpp)
korvi_unit_test(trace_test unit/trace_test.cpp)
korvi_unit_test(scheduler_test unit/scheduler_test.cpp)
korvi_unit_test(owner_test unit/owner_test.cpp unit/wide_format_test.cpp)
