SELECT id, CASE WHEN qty BETWEEN 1 AND 9 THEN 'few' WHEN qty > 9 THEN 'many' ELSE 'none' END AS amount,
  (SELECT MAX(price) FROM lines WHERE lines.order_id = o.id) AS top, ROW_NUMBER() OVER (PARTITION BY customer_id ORDER BY id) rn
FROM orders o WHERE EXISTS (SELECT 1 FROM notes n WHERE n.order_id = o.id AND n.body NOT LIKE '%--%')
UNION ALL SELECT NULL, "x", `weird``name`, 0 FROM dual;
