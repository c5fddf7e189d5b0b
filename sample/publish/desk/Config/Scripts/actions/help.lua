-- 使用帮助 and 帮助 (桌面组件 1.1): the user guide under Help/ in a page of its own, as in 1.0; the
-- page's caption names the component's version, so an applied update shows at once.
local answer = plugin_invoke({plugin = "Plugins\\Invoice\\Verrian.dll", req_id = 2,
                              Page = "Help\\index.html"})
if answer == nil or answer.inst == nil then
  log("使用帮助: 发票插件没有给出帮助窗口")
  return
end
page_focornew_by_winctrl({wctrl_inst = answer.inst, caption = "使用帮助（桌面组件 1.1）", mode = 1,
                          notab = 0, nobtnclose = 0})
