// Requests to the console's API. Errors come back as {error: text} with a non-2xx status.

export async function call(method, path, params = {}, body = undefined) {
  const query = new URLSearchParams();
  for (const [name, value] of Object.entries(params)) {
    for (const v of Array.isArray(value) ? value : [value]) if (v !== undefined && v !== '') query.append(name, v);
  }
  const url = query.toString() ? `${path}?${query}` : path;
  const response = await fetch(url, { method, body });
  const type = response.headers.get('content-type') || '';
  const data = type.startsWith('application/json') ? await response.json() : await response.text();
  if (!response.ok) throw new Error(data && data.error ? data.error : `${response.status}`);
  return data;
}

export function showResult(element, text, isError = false) {
  element.textContent = text;
  element.classList.toggle('error', isError);
}
