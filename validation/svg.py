"""A log-log line plot written as plain SVG: decade grid, labelled axes,
markers and a legend. Just enough for the validation page."""

import math
from xml.sax.saxutils import escape

COLOURS = ("#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#555555")
SUPERSCRIPT = str.maketrans("-0123456789", "\u207b\u2070\u00b9\u00b2\u00b3\u2074\u2075\u2076\u2077\u2078\u2079")


def _decade_label(e):
    return "10" + str(e).translate(SUPERSCRIPT)


def loglog(series, xlabel, ylabel, title, guides=(), width=640, height=440):
    """series: [(label, [(x, y), ...])], drawn with markers and lines;
    guides: [(label, [(x, y), ...])], drawn dashed without markers."""
    left, right, top, bottom = 78, 190, 36, 58
    pw, ph = width - left - right, height - top - bottom
    pts = [p for _, s in list(series) + list(guides) for p in s]
    x0 = math.floor(math.log10(min(x for x, _ in pts)))
    x1 = math.ceil(math.log10(max(x for x, _ in pts)))
    y0 = math.floor(math.log10(min(y for _, y in pts)))
    y1 = math.ceil(math.log10(max(y for _, y in pts)))

    def X(x):
        return left + (math.log10(x) - x0) / (x1 - x0) * pw

    def Y(y):
        return top + ph - (math.log10(y) - y0) / (y1 - y0) * ph

    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}" font-family="sans-serif" font-size="12">',
        f'<rect width="{width}" height="{height}" fill="white"/>',
        f'<text x="{left + pw / 2:.1f}" y="20" text-anchor="middle" font-size="14">'
        f"{escape(title)}</text>",
    ]
    for e in range(x0, x1 + 1):
        x = X(10.0**e)
        out.append(f'<line x1="{x:.1f}" y1="{top}" x2="{x:.1f}" y2="{top + ph}" stroke="#ddd"/>')
        out.append(f'<text x="{x:.1f}" y="{top + ph + 18}" text-anchor="middle">{_decade_label(e)}</text>')
    for e in range(y0, y1 + 1):
        y = Y(10.0**e)
        out.append(f'<line x1="{left}" y1="{y:.1f}" x2="{left + pw}" y2="{y:.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{left - 8}" y="{y + 4:.1f}" text-anchor="end">{_decade_label(e)}</text>')
    out.append(f'<rect x="{left}" y="{top}" width="{pw}" height="{ph}" fill="none" stroke="black"/>')
    out.append(f'<text x="{left + pw / 2:.1f}" y="{height - 14}" text-anchor="middle">{escape(xlabel)}</text>')
    out.append(f'<text transform="translate(18 {top + ph / 2:.1f}) rotate(-90)" '
               f'text-anchor="middle">{escape(ylabel)}</text>')

    legend_y = top + 10
    for i, (label, s) in enumerate(series):
        c = COLOURS[i % len(COLOURS)]
        path = " ".join(f"{X(x):.1f},{Y(y):.1f}" for x, y in s)
        out.append(f'<polyline points="{path}" fill="none" stroke="{c}" stroke-width="1.5"/>')
        for x, y in s:
            out.append(f'<circle cx="{X(x):.1f}" cy="{Y(y):.1f}" r="3" fill="{c}"/>')
        out.append(f'<line x1="{left + pw + 12}" y1="{legend_y}" x2="{left + pw + 32}" '
                   f'y2="{legend_y}" stroke="{c}" stroke-width="1.5"/>')
        out.append(f'<circle cx="{left + pw + 22}" cy="{legend_y}" r="3" fill="{c}"/>')
        out.append(f'<text x="{left + pw + 38}" y="{legend_y + 4}">{escape(label)}</text>')
        legend_y += 20
    for label, s in guides:
        path = " ".join(f"{X(x):.1f},{Y(y):.1f}" for x, y in s)
        out.append(f'<polyline points="{path}" fill="none" stroke="black" stroke-dasharray="5,4"/>')
        out.append(f'<line x1="{left + pw + 12}" y1="{legend_y}" x2="{left + pw + 32}" '
                   f'y2="{legend_y}" stroke="black" stroke-dasharray="5,4"/>')
        out.append(f'<text x="{left + pw + 38}" y="{legend_y + 4}">{escape(label)}</text>')
        legend_y += 20
    out.append("</svg>")
    return "\n".join(out) + "\n"
