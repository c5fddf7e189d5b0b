// The invoice search page: a local list of invoices, searched in the page itself. No network.
(function () {
  'use strict';

  // Amounts and taxes in fen (1/100 yuan), so that sums stay exact. Red-letter invoices (红冲)
  // cancel earlier ones and carry negative amounts.
  const INVOICES = Object.freeze([
    { number: '42301241', date: '2024-01-02', buyer: '远川机电设备有限公司', seller: '和顺运输有限公司', amount: 851300, tax: 51078, status: '正常' },
    { number: '22633920', date: '2024-01-11', buyer: '安和医疗器械有限公司', seller: '和顺运输有限公司', amount: 267150, tax: 34730, status: '作废' },
    { number: '16655764', date: '2024-01-14', buyer: '晨曦餐饮管理有限公司', seller: '瑞丰办公用品有限公司', amount: 116800, tax: 3504, status: '正常' },
    { number: '58530762', date: '2024-02-07', buyer: '北岭建材有限公司', seller: '恒泰五金制品厂', amount: -9235100, tax: -277053, status: '红冲' },
    { number: '51403729', date: '2024-02-18', buyer: '明澜文化传媒有限公司', seller: '瑞丰办公用品有限公司', amount: 238150, tax: 7144, status: '正常' },
    { number: '85748230', date: '2024-02-19', buyer: '青禾商贸有限公司', seller: '和顺运输有限公司', amount: 955800, tax: 28674, status: '正常' },
    { number: '71230843', date: '2024-03-02', buyer: '远川机电设备有限公司', seller: '瑞丰办公用品有限公司', amount: 9916100, tax: 297483, status: '正常' },
    { number: '30399018', date: '2024-03-20', buyer: '江屿物流有限公司', seller: '星辰网络服务有限公司', amount: 14420000, tax: 1874600, status: '正常' },
    { number: '56100526', date: '2024-03-26', buyer: '江屿物流有限公司', seller: '嘉木家具有限公司', amount: 3145700, tax: 94371, status: '正常' },
    { number: '69812891', date: '2024-04-09', buyer: '北岭建材有限公司', seller: '润田农产品有限公司', amount: 2590400, tax: 77712, status: '正常' },
    { number: '76262352', date: '2024-04-13', buyer: '青禾商贸有限公司', seller: '恒泰五金制品厂', amount: 13103000, tax: 1703390, status: '正常' },
    { number: '41317839', date: '2024-05-13', buyer: '青禾商贸有限公司', seller: '星辰网络服务有限公司', amount: 398000, tax: 51740, status: '正常' },
    { number: '65740154', date: '2024-05-15', buyer: '安和医疗器械有限公司', seller: '润田农产品有限公司', amount: 4589400, tax: 137682, status: '正常' },
    { number: '76640001', date: '2024-05-25', buyer: '远川机电设备有限公司', seller: '恒泰五金制品厂', amount: -7491000, tax: -449460, status: '红冲' },
    { number: '38019720', date: '2024-06-13', buyer: '江屿物流有限公司', seller: '恒泰五金制品厂', amount: 13622800, tax: 1770964, status: '正常' },
    { number: '85064182', date: '2024-06-19', buyer: '云栖软件科技有限公司', seller: '星辰网络服务有限公司', amount: 542000, tax: 32520, status: '作废' },
    { number: '81751584', date: '2024-06-27', buyer: '安和医疗器械有限公司', seller: '和顺运输有限公司', amount: 7887700, tax: 1025401, status: '正常' },
    { number: '56625835', date: '2024-07-01', buyer: '安和医疗器械有限公司', seller: '星辰网络服务有限公司', amount: 17097400, tax: 2222662, status: '正常' },
    { number: '23618316', date: '2024-07-04', buyer: '安和医疗器械有限公司', seller: '和顺运输有限公司', amount: 577100, tax: 17313, status: '正常' },
    { number: '29343122', date: '2024-07-04', buyer: '远川机电设备有限公司', seller: '润田农产品有限公司', amount: 13215600, tax: 792936, status: '正常' },
    { number: '80901507', date: '2024-08-11', buyer: '安和医疗器械有限公司', seller: '恒泰五金制品厂', amount: 453750, tax: 13612, status: '正常' },
    { number: '45046288', date: '2024-08-23', buyer: '安和医疗器械有限公司', seller: '恒泰五金制品厂', amount: 14844000, tax: 445320, status: '作废' },
    { number: '23711300', date: '2024-09-09', buyer: '晨曦餐饮管理有限公司', seller: '星辰网络服务有限公司', amount: 12723800, tax: 763428, status: '正常' },
    { number: '36192056', date: '2024-09-12', buyer: '晨曦餐饮管理有限公司', seller: '星辰网络服务有限公司', amount: 385050, tax: 11552, status: '作废' },
    { number: '13749650', date: '2024-09-24', buyer: '北岭建材有限公司', seller: '星辰网络服务有限公司', amount: 14569500, tax: 874170, status: '正常' },
    { number: '54629703', date: '2024-10-04', buyer: '远川机电设备有限公司', seller: '润田农产品有限公司', amount: 656500, tax: 39390, status: '正常' },
    { number: '56171824', date: '2024-10-07', buyer: '远川机电设备有限公司', seller: '润田农产品有限公司', amount: -573300, tax: -34398, status: '红冲' },
    { number: '13697544', date: '2024-10-13', buyer: '明澜文化传媒有限公司', seller: '和顺运输有限公司', amount: -778850, tax: -101250, status: '红冲' },
    { number: '27580355', date: '2024-11-15', buyer: '青禾商贸有限公司', seller: '瑞丰办公用品有限公司', amount: 18229800, tax: 2369874, status: '正常' },
    { number: '38558820', date: '2024-11-26', buyer: '北岭建材有限公司', seller: '和顺运输有限公司', amount: 188300, tax: 24479, status: '正常' }
  ].map(Object.freeze));

  // Buyers the user searched for, offered again by the buyer field (kept by the browser profile).
  const RECENT_KEY = 'fpsearch.recentBuyers';
  const RECENT_LIMIT = 10;

  const $ = (id) => document.getElementById(id);

  // "1,234.5" -> 123450 fen; '' -> null; anything else -> NaN.
  function parseMoney(text) {
    const plain = text.trim().replace(/[,，]/g, '');
    if (plain === '')
      return null;
    const match = /^(-?)(\d+)(?:\.(\d{1,2}))?$/.exec(plain);
    if (!match)
      return NaN;
    const fen = Number(match[2]) * 100 + Number((match[3] || '').padEnd(2, '0'));
    return match[1] ? -fen : fen;
  }

  function formatMoney(fen) {
    const sign = fen < 0 ? '-' : '';
    const abs = Math.abs(fen);
    const yuan = Math.floor(abs / 100).toString().replace(/\B(?=(\d{3})+(?!\d))/g, ',');
    return sign + yuan + '.' + String(abs % 100).padStart(2, '0');
  }

  // The criteria of the form, or { error } when they cannot be used.
  function readCriteria() {
    const criteria = {
      number: $('fpNumber').value.trim(),
      dateFrom: $('dateFrom').value,
      dateTo: $('dateTo').value,
      buyer: $('buyer').value.trim(),
      amountMin: parseMoney($('amountMin').value),
      amountMax: parseMoney($('amountMax').value)
    };
    if (Number.isNaN(criteria.amountMin) || Number.isNaN(criteria.amountMax))
      return { error: '金额请填写数字，最多两位小数。' };
    if (criteria.dateFrom && criteria.dateTo && criteria.dateFrom > criteria.dateTo)
      return { error: '开始日期不能晚于结束日期。' };
    if (criteria.amountMin !== null && criteria.amountMax !== null && criteria.amountMin > criteria.amountMax)
      return { error: '最低金额不能高于最高金额。' };
    return criteria;
  }

  function matches(invoice, c) {
    return (!c.number || invoice.number.includes(c.number)) &&
      (!c.dateFrom || invoice.date >= c.dateFrom) &&
      (!c.dateTo || invoice.date <= c.dateTo) &&
      (!c.buyer || invoice.buyer.toLowerCase().includes(c.buyer.toLowerCase())) &&
      (c.amountMin === null || invoice.amount >= c.amountMin) &&
      (c.amountMax === null || invoice.amount <= c.amountMax);
  }

  // Newest first; invoices of one day by number.
  function search(criteria) {
    return INVOICES.filter((invoice) => matches(invoice, criteria))
      .sort((a, b) => (b.date.localeCompare(a.date) || a.number.localeCompare(b.number)));
  }

  function cell(row, text, className) {
    const td = row.insertCell();
    td.textContent = text;
    if (className)
      td.className = className;
  }

  function showMessage(text) {
    $('message').textContent = text;
    $('message').hidden = !text;
  }

  function render(list) {
    const body = $('results').tBodies[0];
    body.replaceChildren();
    let amount = 0;
    let tax = 0;
    for (const invoice of list) {
      const row = body.insertRow();
      row.className = 'status-' + invoice.status;
      cell(row, invoice.number);
      cell(row, invoice.date);
      cell(row, invoice.buyer);
      cell(row, invoice.seller);
      cell(row, formatMoney(invoice.amount), 'money');
      cell(row, formatMoney(invoice.tax), 'money');
      cell(row, invoice.status);
      if (invoice.status !== '作废') {
        amount += invoice.amount;
        tax += invoice.tax;
      }
    }
    $('results').hidden = list.length === 0;
    $('empty').hidden = list.length !== 0;
    $('summary').textContent = list.length === 0 ? '' :
      '共 ' + list.length + ' 张发票，金额合计 ' + formatMoney(amount) + ' 元，税额合计 ' + formatMoney(tax) +
      ' 元（不含作废发票）。';
  }

  function recentBuyers() {
    try {
      const stored = JSON.parse(localStorage.getItem(RECENT_KEY) || '[]');
      return Array.isArray(stored) ? stored.filter((name) => typeof name === 'string') : [];
    } catch (e) {
      return [];
    }
  }

  function rememberBuyer(name) {
    if (!name)
      return;
    const names = [name].concat(recentBuyers().filter((known) => known !== name)).slice(0, RECENT_LIMIT);
    try {
      localStorage.setItem(RECENT_KEY, JSON.stringify(names));
    } catch (e) {
      // Without storage the field still offers the buyers of the list.
    }
    fillBuyerList();
  }

  function fillBuyerList() {
    const list = $('buyerList');
    list.replaceChildren();
    const names = new Set(recentBuyers().concat(INVOICES.map((invoice) => invoice.buyer)));
    for (const name of names) {
      const option = document.createElement('option');
      option.value = name;
      list.appendChild(option);
    }
  }

  function runSearch() {
    const criteria = readCriteria();
    if (criteria.error) {
      showMessage(criteria.error);
      return;
    }
    showMessage('');
    rememberBuyer(criteria.buyer);
    render(search(criteria));
  }

  $('searchForm').addEventListener('submit', (event) => {
    event.preventDefault();
    runSearch();
  });
  $('btnReset').addEventListener('click', () => {
    $('searchForm').reset();
    showMessage('');
    render(search(readCriteria()));
  });
  $('btnPrint').addEventListener('click', () => window.print());

  fillBuyerList();
  render(search(readCriteria()));

  // For whoever embeds the page: the invoice list and the search itself.
  window.fpsearch = Object.freeze({ invoices: INVOICES, search: runSearch, recentBuyers });
})();
