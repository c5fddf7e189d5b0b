-- 使用帮助 and 帮助: the user guide, local pages under Help/ in the installation, shown by the
-- invoice plug-in's browser in a page of its own right after the active one. The plug-in keeps one
-- guide window, so a second click brings its page to the front where the user left it.
local answer = plugin_invoke({plugin = "Plugins\\Invoice\\Verrian.dll", req_id = 2,
                              Page = "Help\\index.html"})
if answer == nil or answer.inst == nil then
  log("使用帮助: 发票插件没有给出帮助窗口")
  return
end
page_focornew_by_winctrl({wctrl_inst = answer.inst, caption = "使用帮助", mode = 1,
                          notab = 0, nobtnclose = 0})
