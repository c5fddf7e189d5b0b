-- 发票查询: the invoice search page of the invoice plug-in, in a page of its own right after the
-- active one. The plug-in keeps one window, so a second click finds the page that already holds
-- it and brings it to the front instead of opening another.
local answer = plugin_invoke({plugin = "Plugins\\Invoice\\Verrian.dll", req_id = 1})
if answer == nil or answer.inst == nil then
  log("发票查询: 发票插件没有给出页面窗口")
  return
end
page_focornew_by_winctrl({wctrl_inst = answer.inst, caption = "发票查询", mode = 1,
                          notab = 0, nobtnclose = 0})
