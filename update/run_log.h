#pragma once
// Log lines of the main task and the workers. Their code is split over
// several helpers, but every line carries the method the run belongs to
// ("ZAr763ORIdirevaVodoRev::MainThreadFun" or "...::ChildThreadFun").
#include "base/log/debug_log.h"

namespace hbx::update {

inline constexpr char kMainThreadFun[] = "int hbx::ZAr763ORIdirevaVodoRev::MainThreadFun(hbx::MainThreadInfo*)";
inline constexpr char kChildThreadFun[] = "int hbx::ZAr763ORIdirevaVodoRev::ChildThreadFun(hbx::ChildThreadInfo*)";

}  // namespace hbx::update

#define HBX_RUN_LOG(level, method, format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::level, method, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_ERR(format, ...) HBX_RUN_LOG(Err, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_WRN(format, ...) HBX_RUN_LOG(Wrn, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_MSG(format, ...) HBX_RUN_LOG(Msg, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_ERR(format, ...) HBX_RUN_LOG(Err, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_WRN(format, ...) HBX_RUN_LOG(Wrn, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_MSG(format, ...) HBX_RUN_LOG(Msg, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
