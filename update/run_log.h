#pragma once
// Log lines that belong to the dialog's methods although their code is
// defined elsewhere: the update run's members on RunDialog, and the main task
// and the workers, whose code is split over several helpers. Every such line
// carries the dialog's class name and the method the run belongs to
// ("ZAr763ORIdirevaVodoRev::MainThreadFun", "...::ChildThreadFun").
#include <string_view>

#include "base/log/debug_log.h"

namespace hbx {

inline constexpr std::string_view kDialogClassName = "ZAr763ORIdirevaVodoRev";

namespace update {
inline constexpr std::string_view kMainThreadFun = "MainThreadFun";
inline constexpr std::string_view kChildThreadFun = "ChildThreadFun";
}  // namespace update

}  // namespace hbx

#define HBX_RUN_LOG(level, method, format, ...)                                                \
  ::hbx::log::writeAs(::hbx::log::Level::level, ::hbx::kDialogClassName, method, __LINE__, \
                      format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_ERR(format, ...) HBX_RUN_LOG(Err, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_WRN(format, ...) HBX_RUN_LOG(Wrn, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_TASK_MSG(format, ...) HBX_RUN_LOG(Msg, ::hbx::update::kMainThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_ERR(format, ...) HBX_RUN_LOG(Err, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_WRN(format, ...) HBX_RUN_LOG(Wrn, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_WORKER_MSG(format, ...) HBX_RUN_LOG(Msg, ::hbx::update::kChildThreadFun, format __VA_OPT__(, ) __VA_ARGS__)
// A line of a member defined on RunDialog, named as the dialog's member.
#define HBX_DLG_ERR(format, ...) HBX_RUN_LOG(Err, __func__, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_DLG_WRN(format, ...) HBX_RUN_LOG(Wrn, __func__, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_DLG_MSG(format, ...) HBX_RUN_LOG(Msg, __func__, format __VA_OPT__(, ) __VA_ARGS__)
