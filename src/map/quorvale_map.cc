#include "map/quorvale_map.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/file_path.h"

namespace quorvales {

namespace {

// The page's style and script.  The data come in a JSON block of their
// own; the script draws one canvas per dimension and the legends.
const char kStyle[] =
    R"(body{font-family:sans-serif;margin:16px;color:#222;background:#fff}
h1{font-size:1.4em;margin:0 0 4px}
.facts{margin:0 0 12px;color:#444}
table{border-collapse:collapse;margin:8px 0 16px}
td,th{border:1px solid #bbb;padding:2px 8px;text-align:right}
th{background:#eee}
td:first-child,th:first-child{text-align:left}
.panel{margin:0 0 24px}
.panel h2{font-size:1.1em;margin:0 0 4px}
canvas{border:1px solid #888;cursor:grab;display:block}
.legend{display:flex;gap:24px;align-items:center;margin:4px 0 16px;font-size:0.9em}
.legend canvas{border:1px solid #888;cursor:default;display:inline-block;vertical-align:middle}
#tip{position:fixed;pointer-events:none;background:#fffbe6;border:1px solid #888;padding:4px 6px;font-size:0.85em;display:none;white-space:pre}
)";

const char kScript[] = R"((function () {
'use strict';
var data = JSON.parse(document.getElementById('quorvale-data').textContent);
var W = 900, H = 560, M = 48;
var overName = data.deleted ? 'deleted' : 'over the limit';
var within = [[68,1,84],[59,82,139],[33,145,140],[94,201,98],[253,231,37]];
var over = [[255,190,180],[240,110,90],[200,30,30],[110,0,0]];
var maxWithin = 1, maxOver = 1, minOver = Infinity;
data.dimensions.forEach(function (d) {
  for (var i = 2; i < d.within.length; i += 3) maxWithin = Math.max(maxWithin, d.within[i]);
  for (var j = 2; j < d.over.length; j += 3) {
    maxOver = Math.max(maxOver, d.over[j]);
    minOver = Math.min(minOver, d.over[j]);
  }
});
if (!isFinite(minOver)) minOver = 1;
function ramp(stops, t) {
  t = Math.max(0, Math.min(1, t)) * (stops.length - 1);
  var i = Math.min(stops.length - 2, Math.floor(t)), f = t - i;
  var a = stops[i], b = stops[i + 1];
  return 'rgb(' + [0, 1, 2].map(function (k) { return Math.round(a[k] + (b[k] - a[k]) * f); }).join(',') + ')';
}
function logT(v, lo, hi) {
  var a = Math.log(Math.max(lo, 1)), b = Math.log(Math.max(hi, 1));
  return b > a ? (Math.log(Math.max(v, 1)) - a) / (b - a) : 1;
}
function withinColour(size) { return ramp(within, logT(size, 1, maxWithin)); }
function overColour(size) { return ramp(over, logT(size, minOver, maxOver)); }
var tip = document.getElementById('tip');
var views = {};
function panel(d) {
  var box = document.createElement('div');
  box.className = 'panel';
  var h = document.createElement('h2');
  h.textContent = d.name + ': ' + (d.within.length + d.over.length) / 3 + ' records';
  box.appendChild(h);
  var canvas = document.createElement('canvas');
  canvas.width = W; canvas.height = H;
  canvas.setAttribute('data-dimension', d.id);
  box.appendChild(canvas);
  document.getElementById('panels').appendChild(box);
  var cells = {};
  var minX = Infinity, maxX = -Infinity, minZ = Infinity, maxZ = -Infinity;
  function each(list, f) { for (var i = 0; i < list.length; i += 3) f(list[i], list[i + 1], list[i + 2]); }
  function bound(x, z) { minX = Math.min(minX, x); maxX = Math.max(maxX, x); minZ = Math.min(minZ, z); maxZ = Math.max(maxZ, z); }
  each(d.within, function (x, z, s) { bound(x, z); cells[x + ',' + z] = [s, false]; });
  each(d.over, function (x, z, s) { bound(x, z); cells[x + ',' + z] = [s, true]; });
  var scale = Math.min((W - 2 * M) / (maxX - minX + 1), (H - 2 * M) / (maxZ - minZ + 1));
  scale = Math.max(Math.min(scale, 64), 0.05);
  var view = {scale: scale,
              ox: M + ((W - 2 * M) - (maxX - minX + 1) * scale) / 2 - minX * scale,
              oy: M + ((H - 2 * M) - (maxZ - minZ + 1) * scale) / 2 - minZ * scale};
  views[d.id] = {canvas: canvas, view: view};
  var ctx = canvas.getContext('2d');
  function ticks(from, to, px) {
    var span = (to - from) / px * 80, step = Math.pow(10, Math.floor(Math.log(Math.max(span, 1)) / Math.LN10));
    if (span / step > 5) step *= 5; else if (span / step > 2) step *= 2;
    var first = Math.ceil(from / step) * step, out = [];
    for (var v = first; v <= to && out.length < 40; v += step) out.push(v);
    return out;
  }
  function draw() {
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.fillStyle = '#fff'; ctx.fillRect(0, 0, W, H);
    ctx.fillStyle = '#f4f4f4'; ctx.fillRect(M, M, W - 2 * M, H - 2 * M);
    ctx.save();
    ctx.beginPath(); ctx.rect(M, M, W - 2 * M, H - 2 * M); ctx.clip();
    var size = Math.max(view.scale, 1);
    function cell(x, z, colour) {
      ctx.fillStyle = colour;
      ctx.fillRect(Math.floor(view.ox + x * view.scale), Math.floor(view.oy + z * view.scale), Math.ceil(size), Math.ceil(size));
    }
    each(d.within, function (x, z, s) { cell(x, z, withinColour(s)); });
    each(d.over, function (x, z, s) { cell(x, z, overColour(s)); });
    ctx.restore();
    ctx.fillStyle = '#222'; ctx.font = '11px sans-serif'; ctx.strokeStyle = '#888';
    var x0 = (M - view.ox) / view.scale, x1 = (W - M - view.ox) / view.scale;
    var z0 = (M - view.oy) / view.scale, z1 = (H - M - view.oy) / view.scale;
    ctx.textAlign = 'center';
    ticks(x0, x1, W - 2 * M).forEach(function (v) {
      var px = view.ox + (Math.round(v) + 0.5) * view.scale;
      ctx.beginPath(); ctx.moveTo(px, M - 4); ctx.lineTo(px, M); ctx.stroke();
      ctx.fillText(String(Math.round(v)), px, M - 20);
      ctx.fillText(String(Math.round(v) * 16), px, M - 7);
    });
    ctx.textAlign = 'right';
    ticks(z0, z1, H - 2 * M).forEach(function (v) {
      var py = view.oy + (Math.round(v) + 0.5) * view.scale;
      ctx.beginPath(); ctx.moveTo(M - 4, py); ctx.lineTo(M, py); ctx.stroke();
      ctx.fillText(String(Math.round(v)), M - 6, py - 2);
      ctx.fillText(String(Math.round(v) * 16), M - 6, py + 10);
    });
    ctx.textAlign = 'left';
    ctx.fillText('chunk X / block X (east \u2192)', M, 12);
    ctx.save(); ctx.translate(10, H - M); ctx.rotate(-Math.PI / 2);
    ctx.fillText('chunk Z / block Z (north \u2191)', 0, 0); ctx.restore();
  }
  views[d.id].draw = draw;
  draw();
  var drag = null;
  canvas.addEventListener('mousedown', function (e) { drag = {x: e.clientX, y: e.clientY}; canvas.style.cursor = 'grabbing'; });
  window.addEventListener('mouseup', function () { drag = null; canvas.style.cursor = 'grab'; });
  canvas.addEventListener('mousemove', function (e) {
    var r = canvas.getBoundingClientRect();
    if (drag) {
      view.ox += e.clientX - drag.x; view.oy += e.clientY - drag.y;
      drag = {x: e.clientX, y: e.clientY}; draw(); tip.style.display = 'none'; return;
    }
    var x = Math.floor((e.clientX - r.left - view.ox) / view.scale);
    var z = Math.floor((e.clientY - r.top - view.oy) / view.scale);
    var c = cells[x + ',' + z];
    if (!c) { tip.style.display = 'none'; return; }
    tip.textContent = 'Chunk X ' + x + ', Z ' + z + '\nBlock X ' + x * 16 + ', Z ' + z * 16 +
        '\n' + c[0] + ' bytes' + (c[1] ? ', ' + overName : ', within the limit');
    tip.style.left = (e.clientX + 14) + 'px'; tip.style.top = (e.clientY + 14) + 'px';
    tip.style.display = 'block';
  });
  canvas.addEventListener('mouseleave', function () { tip.style.display = 'none'; });
  canvas.addEventListener('wheel', function (e) {
    e.preventDefault();
    var r = canvas.getBoundingClientRect(), mx = e.clientX - r.left, my = e.clientY - r.top;
    var k = e.deltaY < 0 ? 1.25 : 0.8;
    var next = Math.max(0.02, Math.min(256, view.scale * k));
    view.ox = mx - (mx - view.ox) * next / view.scale;
    view.oy = my - (my - view.oy) * next / view.scale;
    view.scale = next; draw();
  }, {passive: false});
}
function legend(id, stops, lo, hi, label) {
  var c = document.getElementById(id);
  var ctx = c.getContext('2d');
  for (var i = 0; i < c.width; i++) { ctx.fillStyle = ramp(stops, i / (c.width - 1)); ctx.fillRect(i, 0, 1, c.height); }
  document.getElementById(id + '-text').textContent = label + ': ' + lo + ' to ' + hi + ' bytes (log scale)';
}
data.dimensions.forEach(panel);
legend('legend-within', within, 1, maxWithin, 'within the limit');
legend('legend-over', over, data.dimensions.some(function (d) { return d.over.length > 0; }) ? minOver : '-', maxOver, overName);
window.quorvaleMap = {
  // Where a chunk's cell is drawn, in page coordinates, for tests.
  pointOf: function (dimension, x, z) {
    var v = views[dimension]; if (!v) return null;
    var r = v.canvas.getBoundingClientRect();
    return {x: r.left + window.scrollX + v.view.ox + (x + 0.5) * v.view.scale,
            y: r.top + window.scrollY + v.view.oy + (z + 0.5) * v.view.scale};
  },
  drawn: true
};
})();
)";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string DimensionName(int32_t id) {
  switch (id) {
    case 0:
      return "Overworld";
    case 1:
      return "Nether";
    case 2:
      return "The End";
    default:
      return "Dimension " + std::to_string(id);
  }
}

// The data limit as the run echoed it.
std::string LimitText(float limit) {
  std::ostringstream text;
  text << limit;
  return text.str();
}

void AppendNumbers(std::string* json,
                   const std::vector<const ScannedRecord*>& list) {
  bool first = true;
  for (const ScannedRecord* r : list) {
    if (!first) *json += ',';
    first = false;
    *json += std::to_string(r->x) + ',' + std::to_string(r->z) + ',' +
             std::to_string(r->size);
  }
}

}  // namespace

std::string QuorvaleMapPage(const MapHeading& heading,
                            const std::vector<ScannedRecord>& records) {
  const bool deleted = heading.counters.deleted > 0;

  // Each dimension's records, within and over the limit, in key order.
  std::map<int32_t, std::pair<std::vector<const ScannedRecord*>,
                              std::vector<const ScannedRecord*>>>
      dimensions;
  for (const ScannedRecord& r : records) {
    auto& lists = dimensions[r.dimension];
    (r.over ? lists.second : lists.first).push_back(&r);
  }
  std::string json = "{\"deleted\":" + std::string(deleted ? "true" : "false") +
                     ",\"dimensions\":[";
  bool first = true;
  for (const auto& [id, lists] : dimensions) {
    if (!first) json += ',';
    first = false;
    json += "{\"id\":" + std::to_string(id) + ",\"name\":\"" +
            DimensionName(id) + "\",\"within\":[";
    AppendNumbers(&json, lists.first);
    json += "],\"over\":[";
    AppendNumbers(&json, lists.second);
    json += "]}";
  }
  json += "]}";

  // The largest records first; ties in key order.
  std::vector<const ScannedRecord*> largest;
  for (const ScannedRecord& r : records) largest.push_back(&r);
  std::stable_sort(largest.begin(), largest.end(),
                   [](const ScannedRecord* a, const ScannedRecord* b) {
                     return a->size > b->size;
                   });
  if (largest.size() > 20) largest.resize(20);

  const RunCounters& c = heading.counters;
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
      "'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
      "<title>Quorvale data of " +
      Escaped(heading.world_name) + "</title>\n<style>\n" + kStyle +
      "</style>\n</head>\n<body>\n<h1>Quorvale data of " +
      Escaped(heading.world_name) + "</h1>\n<p class=\"facts\">Data limit " +
      LimitText(heading.data_limit) + " bytes; run of " +
      Escaped(heading.date) +
      ". Chunks in the world: " + std::to_string(c.records_seen) +
      "; with Quorvale data: " + std::to_string(c.quorvale_seen) +
      "; marked for deletion: " + std::to_string(c.marked) +
      "; deleted: " + std::to_string(c.deleted) +
      ".</p>\n<h2>The largest records</h2>\n<table id=\"largest\">\n"
      "<tr><th>Dimension</th><th>Chunk X</th><th>Chunk Z</th><th>Block X</th>"
      "<th>Block Z</th><th>Bytes</th><th>Deleted</th></tr>\n";
  for (const ScannedRecord* r : largest) {
    page += "<tr><td>" + DimensionName(r->dimension) + "</td><td>" +
            std::to_string(r->x) + "</td><td>" + std::to_string(r->z) +
            "</td><td>" + std::to_string(int64_t{r->x} * 16) + "</td><td>" +
            std::to_string(int64_t{r->z} * 16) + "</td><td>" +
            std::to_string(r->size) + "</td><td>" +
            (r->over && deleted ? "yes" : "no") + "</td></tr>\n";
  }
  page +=
      "</table>\n<div class=\"legend\"><span><canvas id=\"legend-within\" "
      "width=\"160\" height=\"14\"></canvas> <span "
      "id=\"legend-within-text\"></span></span><span><canvas "
      "id=\"legend-over\" width=\"160\" height=\"14\"></canvas> <span "
      "id=\"legend-over-text\"></span></span></div>\n<p>North is up, east "
      "to the right. Scroll to zoom, drag to pan, point at a chunk for its "
      "details.</p>\n<div id=\"panels\"></div>\n<div id=\"tip\"></div>\n"
      "<script type=\"application/json\" id=\"quorvale-data\">" +
      json + "</script>\n<script>\n" + kScript +
      "</script>\n</body>\n</html>\n";
  return page;
}

void WriteQuorvaleMap(const std::string& file_stamp, const MapHeading& heading,
                      const std::vector<ScannedRecord>& records, Output& out) {
  if (file_stamp.empty()) return;
  const std::string name = "quorvaleMap " + file_stamp + ".html";
  // Binary, so that every system writes the same bytes.
  std::ofstream page(FilePath(name), std::ios::binary | std::ios::trunc);
  if (!page.is_open()) return;
  page << QuorvaleMapPage(heading, records);
  page.close();
  if (page.fail()) {
    std::error_code ignored;
    std::filesystem::remove(FilePath(name), ignored);
    return;
  }
  WriteBoth(out, "Map of Quorvale data: ", name);
}

}  // namespace quorvales
